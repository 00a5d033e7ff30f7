#pragma once
// The TCP server that RealTraffic connects to when it runs on this computer: one client at a time,
// short text lines. The run thread starts, accepts, receives and sends; the exit procedure stops it
// from its own thread (a blocked accept or receive is woken, never left on a closed descriptor).
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/net/sockets.h"

namespace vrn {

extern net::SocketHandle g_tcpListenSocket;
extern net::SocketHandle g_tcpClientSocket;
extern std::atomic<bool> g_clientConnected;

// Listens on the port text (PORT_NUMBER; "0" takes a free port). SysErrorException 1-6 on failure,
// with everything opened so far closed again.
void gf_startServer(const std::string& portText);
// The port the server listens on (0 when stopped).
std::uint16_t gf_serverPort();
// Blocks until a client connects (or the server is stopped); true when a new client was accepted.
// False at once when a client is already connected.
bool waitForClient();
// The same without waiting: accepts a client only when one is already waiting.
bool gf_acceptWaitingClient();
// One receive from the client, cut at the first zero byte; empty on a closed connection or an error.
std::string gf_receiveFromClient();
// Sends the whole text; on failure the client is closed and false returned.
bool sendDataPacket(const std::string& text);
// Says "exit" to a connected client and closes everything.
void gf_stopServer();

}  // namespace vrn
