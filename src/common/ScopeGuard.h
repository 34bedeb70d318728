// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <utility>

namespace quorvel {

// Runs a callable when the scope ends, however it ends. The callable must not throw.
template <typename F> class ScopeGuard
{
public:
    explicit ScopeGuard(F onExit)
        : m_onExit(std::move(onExit))
    {
    }
    ~ScopeGuard() { m_onExit(); }
    ScopeGuard(const ScopeGuard &) = delete;
    ScopeGuard &operator=(const ScopeGuard &) = delete;

private:
    F m_onExit;
};

} // namespace quorvel
