#pragma once

#include <string>

namespace quorvel {

class HintShower
{
public:
    virtual ~HintShower() = default;
    virtual void ShowHint(const std::string &text) = 0;
};

} // namespace quorvel
