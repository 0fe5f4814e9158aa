#include "core/common/Error.h"

#include <gtest/gtest.h>

using namespace quillane;
using namespace std::string_literals;

TEST(Error, ShowsTheWholeTextWithControlCharactersSpelledOut)
{
    const Error e("Item \"A\0B\x01\x7F\tC\r\n\" is not valid: 5\x80 \\ 1"s);
    EXPECT_EQ(std::string(e.what()), "Item \"A\\0B\\x01\\x7F\\tC\\r\\n\" is not valid: 5\x80 \\ 1");
    // An error's text put into another one is not spelled out twice.
    const std::string wrapped = "The project could not be saved. "s + e.what();
    EXPECT_EQ(std::string(Error(wrapped).what()), wrapped);
}
