#include "netclient/box_answer.h"

#include "platform/log_channel.h"

using XmlRpc::XmlRpcValue;

namespace {

// The member's value, or null when the answer lacks it.
XmlRpcValue* Member(XmlRpcValue& answer, const char* member) {
    if (!answer.hasMember(member)) return nullptr;
    return &answer[member];
}

}  // namespace

void RefuseAnswer(const char* method, const char* member) {
    LogPrint(LOG_ERROR, "%s: unexpected answer from the box (%s)", method, member);
}

bool AnswerInt(const char* method, XmlRpcValue& answer, int* out) {
    if (answer.getType() != XmlRpcValue::TypeInt) {
        RefuseAnswer(method, "int");
        return false;
    }
    *out = int(answer);
    return true;
}

bool AnswerStruct(const char* method, XmlRpcValue& answer) {
    if (answer.getType() != XmlRpcValue::TypeStruct) {
        RefuseAnswer(method, "struct");
        return false;
    }
    return true;
}

bool MemberInt(const char* method, XmlRpcValue& answer, const char* member, int* out) {
    XmlRpcValue* v = Member(answer, member);
    if (!v) {
        *out = 0;
        return true;
    }
    if (v->getType() != XmlRpcValue::TypeInt) {
        RefuseAnswer(method, member);
        return false;
    }
    *out = int(*v);
    return true;
}

bool MemberBytes(const char* method, XmlRpcValue& answer, const char* member, BoxBytes* out) {
    out->clear();
    XmlRpcValue* v = Member(answer, member);
    if (!v) return true;
    if (v->getType() != XmlRpcValue::TypeBase64) {
        RefuseAnswer(method, member);
        return false;
    }
    const BoxBytes& bytes = *v;
    *out = bytes;
    return true;
}

bool MemberString(const char* method, XmlRpcValue& answer, const char* member, std::string* out) {
    out->clear();
    XmlRpcValue* v = Member(answer, member);
    if (!v) return true;
    if (v->getType() != XmlRpcValue::TypeString) {
        RefuseAnswer(method, member);
        return false;
    }
    const std::string& text = *v;
    *out = text;
    return true;
}
