// quillane-cli that is killed part-way through a run: KilledRun LINES ARGS...
// runs the tool with ARGS and kills itself with SIGKILL as it reports the
// LINES-th line of progress, the way a crash or a power cut stops a run.

#include "CliApp.h"

#include <csignal>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

class KillingBuffer : public std::streambuf {
public:
    explicit KillingBuffer(int lines) : left_(lines) {}

protected:
    int_type overflow(int_type c) override
    {
        if (c == '\n' && --left_ == 0) {
            std::raise(SIGKILL);
        }
        return c;
    }

private:
    int left_;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        return 2;
    }
    KillingBuffer buffer(std::atoi(argv[1]));
    std::ostream err(&buffer);
    std::ostringstream out;
    return quillane::cli::RunCli(std::vector<std::string>(argv + 2, argv + argc), out, err);
}
