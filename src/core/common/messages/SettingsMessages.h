#pragma once

// The settings messages as constants msg::Key.
#define QUILLANE_MESSAGE_LIST "core/common/messages/settings.def"
#include "core/common/messages/Define.h"
