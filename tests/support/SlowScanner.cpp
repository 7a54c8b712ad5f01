#include "support/SlowScanner.h"

#include <fstream>
#include <sstream>

namespace testsupport {

std::string WriteSlowSaneConfig(const TempFolder& folder, int pieceBytes, int pauseMicros) {
    std::ifstream in(std::string(SU_SOURCE_DIR_PATH) + "/data/sane/test.conf");
    std::ostringstream out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("read-limit-size", 0) == 0) line = "read-limit-size " + std::to_string(pieceBytes);
        else if (line.rfind("read-limit", 0) == 0) line = "read-limit true";
        else if (line.rfind("read-delay-duration", 0) == 0) line = "read-delay-duration " + std::to_string(pauseMicros);
        else if (line.rfind("read-delay", 0) == 0) line = "read-delay true";
        out << line << '\n';
    }
    folder.Write("dll.conf", "test\n");
    folder.Write("test.conf", out.str());
    return folder.path();
}

} // namespace testsupport
