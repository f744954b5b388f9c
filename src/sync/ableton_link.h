#pragma once
// Ableton's Link (Debian's ableton-link-dev) with one mend to its sockets. The program and its
// tests include this, never <ableton/Link.hpp> itself, so that all use the same socket code.
//
// Each of Link's UDP sockets (discovery's multicast and unicast ones, the clock measurement's ping
// responder) asks for its next datagram only from the handler of the last one, and the library's
// receive completion leaves that handler out for an empty datagram: a single empty datagram from
// anyone on the network leaves the socket deaf until Link makes new ones (when the network's
// interfaces change, a send fails or Link is switched off and on). With the ping responder
// deaf, a peer that comes later cannot measure our session, and neither joins the other (both stay
// alone); with the discovery sockets deaf, peers announcing themselves are no longer heard. Here an
// empty datagram goes to the handler like any other: each of Link's receivers takes it for an
// invalid message and listens on. (docs/measurements.md, "Link and malformed datagrams".)
#include <ableton/discovery/v1/Messages.hpp>
#include <ableton/link/v1/Messages.hpp>
#include <ableton/platforms/asio/Socket.hpp>

namespace ableton::platforms::asio {

// The one socket size Link uses (discovery's and the measurement's messages alike).
static_assert(discovery::v1::kMaxMessageSize == 512 && link::v1::kMaxMessageSize == 512);

template <> inline void Socket<512>::Impl::operator()(const ::asio::error_code &error, const std::size_t numBytes)
{
    // A failed receive still ends listening, as in the library: on Linux an unconnected UDP socket
    // reports no error from the network (ICMP errors only with IP_RECVERR).
    if (!error && numBytes <= 512) {
        const auto bufBegin = mReceiveBuffer.cbegin();
        mHandler(mSenderEndpoint, bufBegin, bufBegin + static_cast<std::ptrdiff_t>(numBytes));
    }
}

} // namespace ableton::platforms::asio

#include <ableton/Link.hpp>
