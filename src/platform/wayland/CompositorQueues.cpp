// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/CompositorQueues.h"

#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>

namespace quorvel::wayland {

namespace {

// Listing every socket of the system costs about a microsecond each, and a desktop has
// thousands: new clients are looked for this often, and when typing starts again after a
// pause (a program started by the macro), the known ones asked for one by one.
constexpr auto kFindEvery = std::chrono::milliseconds(250);
constexpr auto kPause = std::chrono::milliseconds(100);

struct UnixSocket
{
    std::uint32_t peer = 0;
    std::pair<std::uint64_t, std::uint64_t> file {}; // the bound socket file: device, inode
    std::uint32_t queued = 0; // sent, not yet read by the peer
    std::uint32_t limit = 0;
};

// Connected Unix sockets by inode: all of them, or the one asked for (0 for all).
std::unordered_map<std::uint32_t, UnixSocket> unixSockets(int netlink, std::uint32_t inode)
{
    struct
    {
        nlmsghdr header;
        unix_diag_req request;
    } message {};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | (inode ? 0 : NLM_F_DUMP);
    message.request.sdiag_family = AF_UNIX;
    message.request.udiag_states = 1U << 1; // established
    message.request.udiag_ino = inode;
    message.request.udiag_cookie[0] = message.request.udiag_cookie[1] = ~0U; // any
    message.request.udiag_show = UDIAG_SHOW_VFS | UDIAG_SHOW_PEER | UDIAG_SHOW_MEMINFO;
    std::unordered_map<std::uint32_t, UnixSocket> sockets;
    if (send(netlink, &message, sizeof message, 0) < 0)
        return sockets;
    std::vector<char> buffer(32768);
    for (;;) {
        const ssize_t got = recv(netlink, buffer.data(), buffer.size(), 0);
        if (got <= 0)
            return {};
        auto size = std::size_t(got);
        for (auto *h = reinterpret_cast<nlmsghdr *>(buffer.data()); NLMSG_OK(h, size);
             h = NLMSG_NEXT(h, size)) {
            if (h->nlmsg_type == NLMSG_DONE)
                return sockets;
            if (h->nlmsg_type == NLMSG_ERROR)
                return {};
            auto *diag = static_cast<unix_diag_msg *>(NLMSG_DATA(h));
            UnixSocket &s = sockets[diag->udiag_ino];
            auto rest = int(h->nlmsg_len - NLMSG_LENGTH(sizeof *diag));
            for (auto *a = reinterpret_cast<rtattr *>(diag + 1); RTA_OK(a, rest);
                 a = RTA_NEXT(a, rest)) {
                const void *data = RTA_DATA(a);
                if (a->rta_type == UNIX_DIAG_PEER && RTA_PAYLOAD(a) >= sizeof s.peer) {
                    std::memcpy(&s.peer, data, sizeof s.peer);
                } else if (a->rta_type == UNIX_DIAG_VFS
                    && RTA_PAYLOAD(a) >= sizeof(unix_diag_vfs)) {
                    unix_diag_vfs vfs {};
                    std::memcpy(&vfs, data, sizeof vfs);
                    s.file = { vfs.udiag_vfs_dev, vfs.udiag_vfs_ino };
                } else if (a->rta_type == UNIX_DIAG_MEMINFO
                    && RTA_PAYLOAD(a) >= sizeof(std::uint32_t) * SK_MEMINFO_VARS) {
                    std::uint32_t memory[SK_MEMINFO_VARS];
                    std::memcpy(memory, data, sizeof memory);
                    // What the kernel holds against the sender's buffer: once it is full, the
                    // compositor drops the client.
                    s.queued = memory[SK_MEMINFO_WMEM_ALLOC];
                    s.limit = memory[SK_MEMINFO_SNDBUF];
                }
            }
            if (!(h->nlmsg_flags & NLM_F_MULTI))
                return sockets;
        }
    }
}

} // namespace

CompositorQueues::CompositorQueues(int displayFd)
{
    struct stat st
    {
    };
    if (fstat(displayFd, &st) != 0 || !S_ISSOCK(st.st_mode))
        return;
    m_ours = std::uint32_t(st.st_ino);
    m_netlink = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
}

CompositorQueues::~CompositorQueues()
{
    if (m_netlink >= 0)
        close(m_netlink);
}

void CompositorQueues::findClients()
{
    m_clients.clear();
    m_found = std::chrono::steady_clock::now();
    const auto sockets = unixSockets(m_netlink, 0);
    const auto ours = sockets.find(m_ours);
    if (ours == sockets.end())
        return;
    const auto compositorEnd = sockets.find(ours->second.peer);
    // A connection handed over by a parent process has no socket file to know the others by.
    if (compositorEnd == sockets.end() || compositorEnd->second.file.second == 0)
        return;
    // The compositor's ends of its clients' connections carry the listening socket's file.
    for (const auto &[inode, s] : sockets) {
        if (s.file == compositorEnd->second.file && inode != compositorEnd->first)
            m_clients.push_back(inode);
    }
}

std::vector<Backlog> CompositorQueues::read()
{
    std::vector<Backlog> queues;
    if (m_netlink < 0)
        return queues;
    const auto now = std::chrono::steady_clock::now();
    if (now - m_found >= kFindEvery || now - m_read >= kPause)
        findClients();
    m_read = now;
    for (const std::uint32_t client : m_clients) {
        for (const auto &[inode, s] : unixSockets(m_netlink, client))
            queues.push_back({ inode, s.queued, s.limit });
    }
    return queues;
}

} // namespace quorvel::wayland
