#include "core/common/Error.h"

#include <gtest/gtest.h>

using namespace quillane;
using namespace std::string_literals;

TEST(Error, ShowsTheWholeTextWithControlCharactersSpelledOut)
{
    const Error e(msg::Plain, {"Item \"A\0B\x01\x7F\tC\r\n\" is not valid: 5\x80 \\ 1"s});
    EXPECT_EQ(std::string(e.what()), "Item \"A\\0B\\x01\\x7F\\tC\\r\\n\" is not valid: 5\x80 \\ 1");
    // An error put into another one as its cause is not spelled out twice.
    const Error wrapped(msg::Unexpected, {e.Said()});
    EXPECT_EQ(std::string(wrapped.what()), "The operation failed unexpectedly: "s + e.what());
}
