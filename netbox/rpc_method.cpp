#include "rpc_method.h"

using XmlRpc::XmlRpcException;
using XmlRpc::XmlRpcValue;

namespace {

XmlRpcValue& Param(XmlRpcValue& params, int i, XmlRpcValue::Type type, const char* what) {
    if (ParamCount(params) <= i || params[i].getType() != type)
        throw XmlRpcException(std::string("bad parameter: ") + what);
    return params[i];
}

}  // namespace

int IntParam(XmlRpcValue& params, int i, const char* what) {
    return int(Param(params, i, XmlRpcValue::TypeInt, what));
}

std::string StringParam(XmlRpcValue& params, int i, const char* what) {
    return std::string(Param(params, i, XmlRpcValue::TypeString, what));
}

const XmlRpcValue::BinaryData& BytesParam(XmlRpcValue& params, int i, const char* what) {
    XmlRpcValue& v = Param(params, i, XmlRpcValue::TypeBase64, what);
    XmlRpcValue::BinaryData& bytes = v;
    return bytes;
}
