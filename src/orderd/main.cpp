#include "orderd/OrderdApp.h"

#include <iostream>

int main(int argc, char** argv)
{
    return quillane::orderd::RunOrderd(std::vector<std::string>(argv + 1, argv + argc), std::cin, std::cout, std::cerr);
}
