// quillane-cli that is killed part-way through a run: KilledRun PREFIX ARGS...
// runs the tool with ARGS and kills itself with SIGKILL as soon as it has
// reported a line of progress that starts with PREFIX ("0%", "100%"), the way
// a crash or a power cut stops a run.

#include "cli/CliApp.h"

#include <csignal>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace {

class KillingBuffer : public std::streambuf {
public:
    explicit KillingBuffer(std::string prefix) : prefix_(std::move(prefix)) {}

protected:
    int_type overflow(int_type c) override
    {
        if (c != '\n') {
            line_ += static_cast<char>(c);
        } else if (line_.rfind(prefix_, 0) == 0) {
            std::raise(SIGKILL);
        } else {
            line_.clear();
        }
        return c;
    }

private:
    std::string prefix_;
    std::string line_;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        return 2;
    }
    KillingBuffer buffer(argv[1]);
    std::ostream err(&buffer);
    std::ostringstream out;
    return quillane::cli::RunCli(std::vector<std::string>(argv + 2, argv + argc), out, err);
}
