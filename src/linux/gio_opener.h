#pragma once
// Opening URLs and applications through GIO. The default handler of a URL is
// the desktop's (mimeapps.list, x-scheme-handler/...). An application named by
// path is a desktop entry file ("....desktop") or an executable file; it is
// launched with the URLs, or with the arguments of the open configuration.

#include <string>
#include <vector>

#include "port/dispatch.h"
#include "port/workspace.h"

namespace zorv::linux_desktop {

class GioOpener {
 public:
  explicit GioOpener(port::Dispatch& dispatch) : dispatch_(dispatch) {}

  // Launches the default handler; false when there is none or it did not start.
  bool openURL(const std::string& url);
  // Both launch on a worker thread, which then runs the completion. GIO's error
  // message is the error's description.
  void openURLs(const std::vector<std::string>& urls, const std::string& applicationURL,
                const port::OpenConfiguration& configuration, port::OpenCompletion completion);
  void openApplication(const std::string& applicationURL,
                       const port::OpenConfiguration& configuration,
                       port::OpenCompletion completion);

  // The command line that runs a desktop entry's Exec line with `arguments`
  // instead of files or URLs: field codes dropped, each argument quoted.
  static std::string commandLineWithArguments(const std::string& exec,
                                              const std::vector<std::string>& arguments);

 private:
  port::Dispatch& dispatch_;
};

}  // namespace zorv::linux_desktop
