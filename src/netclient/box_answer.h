// Typed reading of the box's answers. An answer or member of another XML-RPC type than the
// protocol gives is refused with a level-3 line naming the method and the member; the caller
// then returns -2002. A missing struct member reads as 0 or as empty.
#pragma once
#include <flxmlrpc/XmlRpcValue.h>

#include <string>

using BoxBytes = XmlRpc::XmlRpcValue::BinaryData;

// An int answer.
bool AnswerInt(const char* method, XmlRpc::XmlRpcValue& answer, int* out);
// A struct answer (an empty answer is not one).
bool AnswerStruct(const char* method, XmlRpc::XmlRpcValue& answer);
// Members of a struct answer.
bool MemberInt(const char* method, XmlRpc::XmlRpcValue& answer, const char* member, int* out);
bool MemberBytes(const char* method, XmlRpc::XmlRpcValue& answer, const char* member,
                 BoxBytes* out);
bool MemberString(const char* method, XmlRpc::XmlRpcValue& answer, const char* member,
                  std::string* out);
// Logs the refusal of a wrong type (for callers that check the type themselves).
void RefuseAnswer(const char* method, const char* member);
