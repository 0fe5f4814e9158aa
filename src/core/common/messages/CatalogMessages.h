#pragma once

// The catalog messages as constants msg::Key.
#define QUILLANE_MESSAGE_LIST "core/common/messages/catalog.def"
#include "core/common/messages/Define.h"
