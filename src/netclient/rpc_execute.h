// The one way the client talks to the box: rpcexecute holds the API lock around each
// exchange, pauses before a status call, limits each attempt, and retries six times.
#pragma once
#include <flxmlrpc/XmlRpcValue.h>

#include "netclient/box_address.h"

constexpr int kRpcAttempts = 6;

// Creates the shared client for address (replacing an earlier one).
void StartRpcClient(const BoxAddress& address);
// Cuts short the exchange in flight, if any (it fails and counts as an attempt).
void InterruptRpcClient();

// Replaces the exchange with the box by a function (tests and fuzz targets); null restores it.
using RpcTransport = bool (*)(const char* method, const XmlRpc::XmlRpcValue& params,
                              XmlRpc::XmlRpcValue& result);
void SetRpcTransport(RpcTransport transport);

// 0, or -2001 after all attempts failed.
int rpcexecute(const char* method, const XmlRpc::XmlRpcValue& params, XmlRpc::XmlRpcValue& result);
// The same, giving up early (-2001) when keepGoing() turns false between two attempts.
int RpcExecuteWhile(const char* method, const XmlRpc::XmlRpcValue& params,
                    XmlRpc::XmlRpcValue& result, bool (*keepGoing)());
