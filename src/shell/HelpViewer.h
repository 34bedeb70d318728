#pragma once

#include <string_view>

namespace quorvel {

// Shows the program's help at a topic.
class HelpViewer
{
public:
    virtual ~HelpViewer() = default;
    virtual void showHelp(std::string_view topic) = 0;
};

} // namespace quorvel
