#include "linux/layout_input_sources.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

namespace zorv::linux_desktop {
namespace {

// The platform's "error in user parameter list".
constexpr port::StatusCode kParamErr = -50;

class PixbufImage : public port::Image {
 public:
  explicit PixbufImage(GdkPixbuf* pixbuf) : pixbuf_(pixbuf) {}
  ~PixbufImage() override { g_object_unref(pixbuf_); }
  PixbufImage(const PixbufImage&) = delete;
  PixbufImage& operator=(const PixbufImage&) = delete;

 private:
  GdkPixbuf* pixbuf_;
};

}  // namespace

std::optional<port::PropertyValue> LayoutInputSources::getInputSourceProperty(
    const port::InputSourceRef& source, port::InputSourceProperty property) {
  const auto* layout = dynamic_cast<const LayoutSource*>(source.get());
  if (!layout) return std::nullopt;
  using P = port::InputSourceProperty;
  switch (property) {
    case P::inputSourceID:
      return layout->id ? std::optional<port::PropertyValue>(*layout->id) : std::nullopt;
    case P::localizedName:
      return layout->name;
    case P::inputSourceCategory:
      return std::string(port::kCategoryKeyboardInputSource);
    case P::isSelectCapable:
      return true;
    case P::unicodeKeyLayoutData:
      if (layout->layout) return std::shared_ptr<const port::KeyboardLayout>(layout->layout);
      return std::nullopt;
    case P::iconImageURL:
    case P::iconRef:
      return std::nullopt;
  }
  return std::nullopt;
}

port::KeyTranslation LayoutInputSources::keyTranslate(const port::KeyboardLayout& layout,
                                                      std::uint16_t virtualKeyCode, port::KeyAction,
                                                      std::uint32_t modifierKeyState, std::uint32_t,
                                                      std::uint32_t, std::uint32_t& deadKeyState,
                                                      std::size_t maxLength) {
  deadKeyState = 0;
  const auto* xkb = dynamic_cast<const XkbLayout*>(&layout);
  if (!xkb) return {kParamErr, {}};
  return xkb->translate(virtualKeyCode, modifierKeyState, maxLength);
}

port::ImageRef LayoutInputSources::imageWithContentsOfURL(const std::string& url) {
  gchar* path = g_filename_from_uri(url.c_str(), nullptr, nullptr);
  if (!path) return nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path, nullptr);
  g_free(path);
  if (!pixbuf) return nullptr;
  return std::make_shared<PixbufImage>(pixbuf);
}

}  // namespace zorv::linux_desktop
