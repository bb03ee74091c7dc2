#pragma once

// The one socket class of the program: blocking operations with time-outs in whole seconds that
// report failure by throwing CBlockingSocketException with the name of the failed operation.
// Every wait also ends when the calling thread is asked to stop.

#include <netinet/in.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/net.h"

// An IPv4 socket address.
class CSocketAddress {
public:
    CSocketAddress();
    // `dotted` as inet_addr reads it; `port` in host order.
    CSocketAddress(const std::string& dotted, std::uint16_t port);
    explicit CSocketAddress(const sockaddr_in& address) : m_address(address) {}

    // The address in host byte order.
    std::uint32_t HostOrderAddress() const;
    std::uint16_t HostOrderPort() const;
    // "a.b.c.d"
    std::string DottedText() const;

    const sockaddr_in& Raw() const { return m_address; }
    sockaddr_in& Raw() { return m_address; }

private:
    sockaddr_in m_address;
};

class CBlockingSocketException : public std::runtime_error {
public:
    explicit CBlockingSocketException(const std::string& operation, int error = 0)
        : std::runtime_error(operation), m_strMessage(operation), m_nError(error) {}

    const std::string& Operation() const { return m_strMessage; }
    // The errno value behind a failed Connect (ECONNREFUSED, ETIMEDOUT ...); 0 where none is kept.
    int Error() const { return m_nError; }

private:
    std::string m_strMessage;
    int m_nError;
};

class CBlockingSocket {
public:
    static constexpr int kStream = 1;
    static constexpr int kDatagram = 2;

    CBlockingSocket() = default;
    // Closes the socket when the owner has not.
    ~CBlockingSocket();
    CBlockingSocket(const CBlockingSocket&) = delete;
    CBlockingSocket& operator=(const CBlockingSocket&) = delete;

    void Create(int type);
    void Bind(const CSocketAddress& address);
    void Listen();
    // False when the wait was interrupted.
    bool Accept(CBlockingSocket& target, CSocketAddress& peer);
    void Close();
    void Cleanup();
    // Waits at most `seconds` (the caller's send time-out) and ends on a stop request.
    void Connect(const CSocketAddress& address, int seconds);
    // Sends all of `length`; each piece must start within `seconds`.
    int Write(const void* buffer, int length, int seconds);
    // One send; waits at most 5 s for the socket to take it, whatever `seconds` says.
    int Send(const void* buffer, int length, int seconds);
    int SendAll(const void* buffer, int length, int seconds);
    // Bytes received, or -1 for no socket, time-out, error, stop or a peer that closed.
    int Receive(void* buffer, int capacity, int seconds);
    int ReceiveDatagram(void* buffer, int capacity, CSocketAddress& source, int seconds);
    int SendDatagram(const void* buffer, int length, const CSocketAddress& destination,
                     int seconds);
    void GetPeerName(CSocketAddress& address);
    void GetSockName(CSocketAddress& address);
    int Sendto(const void* buffer, int length);
    // Allows broadcast datagrams.
    int SetSockOpt();

    static CSocketAddress GetHostByName(const std::string& name, std::uint16_t port);
    static std::string GetHostByAddr(const CSocketAddress& address);
    static std::string GetLocalIPString();

    bool Connected() const { return m_fConnected; }
    int Handle() const { return m_hSocket.Get(); }

    // The destination of Sendto.
    CSocketAddress m_PeerAddress;

private:
    void WaitWritable(int seconds);

    platform::SocketFd m_hSocket;
    bool m_fConnected = false;
};
