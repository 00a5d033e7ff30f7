#include "support/process.h"

namespace vrn::test {

bool dataBuilderBuilt() { return std::filesystem::exists(builtProgram("tools/varnel-data")); }

int runDataBuilder(const std::vector<std::string>& args, const std::filesystem::path& output) {
    ChildProcess::Options options;
    options.output = output;
    ChildProcess tool(builtProgram("tools/varnel-data"), args, options);
    return tool.waitFor(600).value_or(-1);
}

}  // namespace vrn::test
