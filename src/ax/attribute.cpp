#include "ax/attribute.h"

#include <array>
#include <string_view>

#include "ax/all_cases.h"
#include "ax/raw_value_index.h"

namespace zorv::ax {
namespace {

static_assert(static_cast<std::size_t>(Attribute::childrenInNavigationOrder) + 1 ==
              kAttributeCount);

// Indexed by case.
constexpr auto kRawValues = std::to_array<std::string_view>({
    "AXRole",
    "AXRoleDescription",
    "AXSubrole",
    "AXHelp",
    "AXValue",
    "AXMinValue",
    "AXMaxValue",
    "AXEnabled",
    "AXFocused",
    "AXParent",
    "AXChildren",
    "AXWindow",
    "AXTopLevelUIElement",
    "AXSelectedChildren",
    "AXVisibleChildren",
    "AXPosition",
    "AXSize",
    "AXFrame",
    "AXContents",
    "AXTitle",
    "AXDescription",
    "AXShownMenu",
    "AXValueDescription",
    "AXSharedFocusElements",
    "AXPreviousContents",
    "AXNextContents",
    "AXHeader",
    "AXEdited",
    "AXTabs",
    "AXHorizontalScrollBar",
    "AXVerticalScrollBar",
    "AXOverflowButton",
    "AXIncrementButton",
    "AXDecrementButton",
    "AXFilename",
    "AXExpanded",
    "AXSelected",
    "AXSplitters",
    "AXDocument",
    "AXActivationPoint",
    "AXURL",
    "AXIndex",
    "AXRowCount",
    "AXColumnCount",
    "AXOrderedByRow",
    "AXWarningValue",
    "AXCriticalValue",
    "AXPlaceholderValue",
    "AXContainsProtectedContent",
    "AXAlternateUIVisible",
    "AXTitleUIElement",
    "AXServesAsTitleForUIElements",
    "AXLinkedUIElements",
    "AXSelectedText",
    "AXSelectedTextRange",
    "AXNumberOfCharacters",
    "AXVisibleCharacterRange",
    "AXSharedTextUIElements",
    "AXSharedCharacterRange",
    "AXInsertionPointLineNumber",
    "AXSelectedTextRanges",
    "AXTextInputMarkedRange",
    "AXLineForIndexParameterized",
    "AXRangeForLineParameterized",
    "AXStringForRangeParameterized",
    "AXRangeForPositionParameterized",
    "AXRangeForIndexParameterized",
    "AXBoundsForRangeParameterized",
    "AXRTFForRangeParameterized",
    "AXStyleRangeForIndexParameterized",
    "AXAttributedStringForRangeParameterized",
    "AXFontText",
    "AXForegroundColorText",
    "AXBackgroundColorText",
    "AXUnderlineColorText",
    "AXStrikethroughColorText",
    "AXUnderlineText",
    "AXSuperscriptText",
    "AXStrikethroughText",
    "AXShadowText",
    "AXAttachmentText",
    "AXLinkText",
    "AXAutocorrectedText",
    "AXListItemPrefixText",
    "AXListItemIndexText",
    "AXListItemLevelText",
    "AXMisspelledText",
    "AXMarkedMisspelledText",
    "AXMain",
    "AXMinimized",
    "AXCloseButton",
    "AXZoomButton",
    "AXMinimizeButton",
    "AXToolbarButton",
    "AXProxy",
    "AXGrowArea",
    "AXModal",
    "AXDefaultButton",
    "AXCancelButton",
    "AXFullScreenButton",
    "AXFullScreen",
    "AXMenuBar",
    "AXWindows",
    "AXFrontmost",
    "AXHidden",
    "AXMainWindow",
    "AXFocusedWindow",
    "AXFocusedUIElement",
    "AXExtrasMenuBar",
    "AXEnhancedUserInterface",
    "AXOrientation",
    "AXColumnTitles",
    "AXSearchButton",
    "AXSearchMenu",
    "AXClearButton",
    "AXRows",
    "AXVisibleRows",
    "AXSelectedRows",
    "AXColumns",
    "AXVisibleColumns",
    "AXSelectedColumns",
    "AXSortDirection",
    "AXSelectedCells",
    "AXVisibleCells",
    "AXRowHeaderUIElements",
    "AXColumnHeaderUIElements",
    "AXCellForColumnAndRowParameterized",
    "AXRowIndexRange",
    "AXColumnIndexRange",
    "AXHorizontalUnits",
    "AXVerticalUnits",
    "AXHorizontalUnitDescription",
    "AXVerticalUnitDescription",
    "AXLayoutPointForScreenPointParameterized",
    "AXLayoutSizeForScreenSizeParameterized",
    "AXScreenPointForLayoutPointParameterized",
    "AXScreenSizeForLayoutSizeParameterized",
    "AXHandles",
    "AXDisclosing",
    "AXDisclosedRows",
    "AXDisclosedByRow",
    "AXDisclosureLevel",
    "AXAllowedValues",
    "AXLabelUIElements",
    "AXLabelValue",
    "AXMatteHole",
    "AXMatteContentUIElement",
    "AXMarkerUIElements",
    "AXMarkerValues",
    "AXMarkerGroupUIElement",
    "AXUnits",
    "AXUnitDescription",
    "AXMarkerType",
    "AXMarkerTypeDescription",
    "AXIdentifier",
    "AXFocusedApplication",
    "AXFunctionRowTopLevelElements",
    "AXChildrenInNavigationOrder",
});
static_assert(kRawValues.size() == kAttributeCount);

constexpr auto kAllCases = internal::allCases<Attribute, kAttributeCount>();

}  // namespace

std::span<const Attribute, kAttributeCount> allAttributes() {
  return kAllCases;
}

// at(): a value cast from outside the cases throws instead of reading past the table.
std::string_view rawValue(Attribute attribute) {
  return kRawValues.at(static_cast<std::size_t>(attribute));
}

std::optional<Attribute> attributeFromRawValue(std::string_view name) {
  // Function-local, so built once on first use, safely from any thread.
  static const internal::RawValueIndex<Attribute> index(kRawValues);
  return index.find(name);
}

}  // namespace zorv::ax
