#pragma once
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

// The converter as the tests run it: in-process, or as its binary under an
// unprivileged user for the cases that permissions decide.
namespace tessel::test {

struct Converted {
    int status;
    std::string out, err;
};

Converted Convert(const std::vector<std::string>& args);
// nullopt when that cannot be done here (not root, or no setpriv).
std::optional<Converted> ConvertAsNobody(const QStringList& args);

} // namespace tessel::test
