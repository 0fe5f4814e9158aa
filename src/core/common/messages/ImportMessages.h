#pragma once

// The import messages as constants msg::Key.
#define QUILLANE_MESSAGE_LIST "core/common/messages/import.def"
#include "core/common/messages/Define.h"
