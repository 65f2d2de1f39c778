#include "probe/vst3/Vst3Messages.h"

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <variant>
#include <vector>

using namespace vst3;

namespace {

// The largest value a list keeps: a plug-in that sends more gets an error, not our memory.
constexpr size_t kLargestValue = 64u << 20;

template <typename Interface>
class CCounted : public Interface {
public:
    explicit CCounted(const CTuid& id) : id(id) {}
    virtual ~CCounted() = default;
    tresult VST3_METHOD queryInterface(const uint8_t* iid, void** object) override
    {
        const bool known = SameTuid(iid, kFUnknownId.data()) || SameTuid(iid, id.data());
        *object = known ? this : nullptr;
        if (known) addRef();
        return known ? kResultOk : kNoInterface;
    }
    uint32_t VST3_METHOD addRef() override { return ++references; }
    uint32_t VST3_METHOD release() override
    {
        const uint32_t left = --references;
        if (left == 0) delete this;
        return left;
    }

private:
    CTuid id;
    std::atomic<uint32_t> references{1};
};

class CAttributeList : public CCounted<IAttributeList> {
public:
    CAttributeList() : CCounted(kAttributeListId) {}
    tresult VST3_METHOD setInt(const char* key, int64_t value) override { return Set(key, value); }
    tresult VST3_METHOD getInt(const char* key, int64_t* value) override { return Get(key, value); }
    tresult VST3_METHOD setFloat(const char* key, double value) override { return Set(key, value); }
    tresult VST3_METHOD getFloat(const char* key, double* value) override { return Get(key, value); }
    tresult VST3_METHOD setString(const char* key, const char16_t* text) override
    {
        if (text == nullptr) return kInvalidArgument;
        size_t length = 0;
        while (length < kLargestValue / 2 && text[length]) ++length;
        return Set(key, std::u16string(text, length));
    }
    tresult VST3_METHOD getString(const char* key, char16_t* text, uint32_t sizeInBytes) override
    {
        const std::u16string* kept = Find<std::u16string>(key);
        if (kept == nullptr || text == nullptr || sizeInBytes < sizeof(char16_t)) return kResultFalse;
        const size_t units = std::min<size_t>(kept->size(), sizeInBytes / sizeof(char16_t) - 1);
        std::memcpy(text, kept->data(), units * sizeof(char16_t));
        text[units] = u'\0';
        return kResultOk;
    }
    tresult VST3_METHOD setBinary(const char* key, const void* data, uint32_t size) override
    {
        if (size > kLargestValue || (size > 0 && data == nullptr)) return kInvalidArgument;
        const auto* bytes = static_cast<const uint8_t*>(data);
        return Set(key, std::vector<uint8_t>(bytes, bytes + size));
    }
    tresult VST3_METHOD getBinary(const char* key, const void** data, uint32_t* size) override
    {
        const std::vector<uint8_t>* kept = Find<std::vector<uint8_t>>(key);
        if (kept == nullptr || data == nullptr || size == nullptr) return kResultFalse;
        *data = kept->data();
        *size = static_cast<uint32_t>(kept->size());
        return kResultOk;
    }

private:
    using CValue = std::variant<int64_t, double, std::u16string, std::vector<uint8_t>>;
    tresult Set(const char* key, CValue value)
    {
        if (key == nullptr) return kInvalidArgument;
        values[key] = std::move(value);
        return kResultOk;
    }
    template <typename T>
    const T* Find(const char* key) const
    {
        if (key == nullptr) return nullptr;
        const auto found = values.find(key);
        return found == values.end() ? nullptr : std::get_if<T>(&found->second);
    }
    template <typename T>
    tresult Get(const char* key, T* value) const
    {
        const T* kept = Find<T>(key);
        if (kept == nullptr || value == nullptr) return kResultFalse;
        *value = *kept;
        return kResultOk;
    }

    std::map<std::string, CValue> values;
};

class CMessage : public CCounted<IMessage> {
public:
    CMessage() : CCounted(kMessageId) {}
    ~CMessage() override { attributes->release(); }
    const char* VST3_METHOD getMessageID() override { return id.c_str(); }
    void VST3_METHOD setMessageID(const char* newId) override { id = newId ? newId : ""; }
    IAttributeList* VST3_METHOD getAttributes() override { return attributes; }

private:
    std::string id;
    CAttributeList* attributes = new CAttributeList;
};

}  // namespace

FUnknown* CreateHostMessageObject(const uint8_t* cid, const uint8_t* iid)
{
    if (cid == nullptr || iid == nullptr || !SameTuid(cid, iid)) return nullptr;
    if (SameTuid(cid, kMessageId.data())) return new CMessage;
    if (SameTuid(cid, kAttributeListId.data())) return new CAttributeList;
    return nullptr;
}
