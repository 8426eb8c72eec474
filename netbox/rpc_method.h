// An XML-RPC method served by a function; wrong parameter types and other failures of the
// function become XML-RPC faults, never an exception out of the server.
#pragma once
#include <flxmlrpc/XmlRpc.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class RpcMethod : public XmlRpc::XmlRpcServerMethod {
public:
    using Body = std::function<void(XmlRpc::XmlRpcValue& params, XmlRpc::XmlRpcValue& result)>;
    RpcMethod(const std::string& name, XmlRpc::XmlRpcServer* server, Body body)
        : XmlRpc::XmlRpcServerMethod(name, server), body_(std::move(body)) {}

    void execute(XmlRpc::XmlRpcValue& params, XmlRpc::XmlRpcValue& result) override {
        try {
            body_(params, result);
        } catch (const XmlRpc::XmlRpcException&) {
            throw;
        } catch (const std::exception& e) {
            throw XmlRpc::XmlRpcException(e.what());
        } catch (...) {
            throw XmlRpc::XmlRpcException("request failed");
        }
    }

private:
    Body body_;
};

// The parameters of a request as a list: none, one value, or the elements of an array.
inline int ParamCount(XmlRpc::XmlRpcValue& params) {
    return params.getType() == XmlRpc::XmlRpcValue::TypeArray ? params.size() : 0;
}

// Typed access to parameter i; a fault (XmlRpcException) when it is missing or of another type.
int IntParam(XmlRpc::XmlRpcValue& params, int i, const char* what);
std::string StringParam(XmlRpc::XmlRpcValue& params, int i, const char* what);
const XmlRpc::XmlRpcValue::BinaryData& BytesParam(XmlRpc::XmlRpcValue& params, int i,
                                                  const char* what);
