#include "support/uuid.h"

#include <uuid/uuid.h>

namespace zorv::support {

std::string makeUUIDString() {
  uuid_t uuid;
  uuid_generate_random(uuid);
  char text[37];
  uuid_unparse_upper(uuid, text);
  return text;
}

}  // namespace zorv::support
