#include "linux/console.h"

#include <glib.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace zorv::linux_desktop {

void Console::log(const std::string& text) {
  GDateTime* now = g_date_time_new_now_local();
  gchar* stamp = g_date_time_format(now, "%Y-%m-%d %H:%M:%S");
  const int millis = g_date_time_get_microsecond(now) / 1000;
  std::lock_guard lock(mutex_);
  std::fprintf(stderr, "%s.%03d %s[%ld] %s\n", stamp, millis, g_get_prgname(),
               static_cast<long>(getpid()), text.c_str());
  std::fflush(stderr);
  g_free(stamp);
  g_date_time_unref(now);
}

void Console::writeLine(const std::string& text) {
  std::lock_guard lock(mutex_);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace zorv::linux_desktop
