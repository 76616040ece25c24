#pragma once
// expected.json of the multi-bitmap corpus, read once.
#include <string>

#include "MiniJson.h"
#include "TestSupport.h"

namespace vexaro::test {

inline const Json& ExpectedMbmCorpus()
{
    static const Json json = [] {
        const auto bytes = ReadBytes(CorpusDir() / "mbm" / "expected.json");
        return Json::Parse(std::string(bytes.begin(), bytes.end()));
    }();
    return json;
}

} // namespace vexaro::test
