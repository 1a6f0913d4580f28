#include "helper/helper_action.h"
