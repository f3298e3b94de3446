#include "portable/config/config_keys.h"

#include <stdexcept>

#include "portable/util/json_lookup.h"

namespace vandrel {

std::string ConfigKey::Path() const {
    return section == nullptr ? std::string(name) : std::string(section) + "." + name;
}

nlohmann::json ConfigKey::Default() const {
    switch (type) {
        case KeyType::Number:
            return defaultNumber;
        case KeyType::Boolean:
            return defaultBool;
        case KeyType::String:
            break;
    }
    return defaultText;
}

const nlohmann::json* KeyContainer(const nlohmann::json& root, const ConfigKey& key) {
    if (key.section == nullptr) {
        return &root;
    }
    if (!root.is_object()) {
        return nullptr;
    }
    const auto it = root.find(key.section);
    return it == root.end() ? nullptr : &*it;
}

namespace {

const nlohmann::json& ContainerOrEmpty(const nlohmann::json& root, const ConfigKey& key) {
    static const nlohmann::json kEmpty = nlohmann::json::object();
    const nlohmann::json* container = KeyContainer(root, key);
    return container == nullptr ? kEmpty : *container;
}

}  // namespace

std::string ReadConfigString(const nlohmann::json& root, const ConfigKey& key) {
    return JsonGetString(ContainerOrEmpty(root, key), key.name, key.defaultText);
}

int32_t ReadConfigNumber(const nlohmann::json& root, const ConfigKey& key) {
    return JsonGetInt(ContainerOrEmpty(root, key), key.name, key.defaultNumber);
}

bool ReadConfigBool(const nlohmann::json& root, const ConfigKey& key) {
    return JsonGetBool(ContainerOrEmpty(root, key), key.name, key.defaultBool);
}

size_t ReadConfigMode(const nlohmann::json& root, const ConfigKey& key) {
    const std::string value = ReadConfigString(root, key);
    for (size_t i = 0; i < key.allowed.size(); ++i) {
        if (value == key.allowed[i]) {
            return i;
        }
    }
    if (key.invalidError == nullptr) {
        return 0;
    }
    throw std::runtime_error(key.invalidError);
}

}  // namespace vandrel
