#pragma once

// The generator messages as constants msg::Key.
#define QUILLANE_MESSAGE_LIST "core/common/messages/generator.def"
#include "core/common/messages/Define.h"
