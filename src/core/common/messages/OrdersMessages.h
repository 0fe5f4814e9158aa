#pragma once

// The orders messages as constants msg::Key.
#define QUILLANE_MESSAGE_LIST "core/common/messages/orders.def"
#include "core/common/messages/Define.h"
