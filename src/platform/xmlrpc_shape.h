// A strict check of the shape of an XML-RPC message before it reaches the XML-RPC library:
// only the elements of the protocol, properly nested, closed, and at most kXmlRpcDepth values
// deep, each scalar in a form the library reads, and no control character but tab, CR and
// LF. The library leaks the values it has begun when a message breaks off inside one, holds a
// scalar it cannot read or a NUL, reads past the end of an empty <base64/>, and recurses
// without limit into nested arrays and structs; a message that passes this check does none of
// these.
#pragma once
#include <string>

constexpr int kXmlRpcDepth = 16;

// <methodCall> with a name and parameters.
bool XmlRpcCallShapeOk(const std::string& xml);
// <methodResponse> with one parameter or a fault.
bool XmlRpcResponseShapeOk(const std::string& xml);
