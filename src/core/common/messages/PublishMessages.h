#pragma once

// The publish messages as constants msg::Key.
#define QUILLANE_MESSAGE_LIST "core/common/messages/publish.def"
#include "core/common/messages/Define.h"
