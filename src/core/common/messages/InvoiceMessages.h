#pragma once

// The invoice messages as constants msg::Key.
#define QUILLANE_MESSAGE_LIST "core/common/messages/invoice.def"
#include "core/common/messages/Define.h"
