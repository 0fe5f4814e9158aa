#pragma once

// The online messages as constants msg::Key.
#define QUILLANE_MESSAGE_LIST "core/common/messages/online.def"
#include "core/common/messages/Define.h"
