#pragma once

// The listing messages as constants msg::Key.
#define QUILLANE_MESSAGE_LIST "core/common/messages/listing.def"
#include "core/common/messages/Define.h"
