#pragma once

// The common messages as constants msg::Key.
#define QUILLANE_MESSAGE_LIST "core/common/messages/common.def"
#include "core/common/messages/Define.h"
