#include "component.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "sysutils.h"

namespace zt {

Component::Component(Component* owner)
{
    if (owner != nullptr)
        owner->Insert(this);
}

Component::~Component()
{
    // Tell whoever asked, then the owner's other components, that this one goes.
    std::vector<Component*> notify;
    notify.swap(freeNotifies_);
    for (Component* other : notify) {
        other->Unlink(this);
        other->Notification(this, Operation::Remove);
    }
    if (owner_ != nullptr)
        owner_->Remove(this);

    // Free what this component owns, last created first.
    while (!components_.empty()) {
        Component* child = components_.back();
        delete child;
    }
}

void Component::Insert(Component* component)
{
    components_.push_back(component);
    component->owner_ = this;
    component->designing_ = designing_;
    Notification(component, Operation::Insert);
    for (Component* sibling : std::vector<Component*>(components_))
        if (sibling != component)
            sibling->Notification(component, Operation::Insert);
}

void Component::Remove(Component* component)
{
    components_.erase(std::remove(components_.begin(), components_.end(), component),
                      components_.end());
    component->owner_ = nullptr;
    Notification(component, Operation::Remove);
    for (Component* sibling : std::vector<Component*>(components_))
        sibling->Notification(component, Operation::Remove);
}

void Component::Unlink(Component* component)
{
    freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), component),
                        freeNotifies_.end());
}

void Component::SetDesigning(bool designing)
{
    designing_ = designing;
    for (Component* child : components_)
        child->SetDesigning(designing);
}

void Component::FreeNotification(Component* other)
{
    if (other == nullptr || other == this)
        return;
    if (std::find(other->freeNotifies_.begin(), other->freeNotifies_.end(), this)
        == other->freeNotifies_.end())
        other->freeNotifies_.push_back(this);
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), other) == freeNotifies_.end())
        freeNotifies_.push_back(other);
}

void Component::RemoveFreeNotification(Component* other)
{
    if (other == nullptr)
        return;
    other->Unlink(this);
    Unlink(other);
}

void Component::Notification(Component*, Operation) {}

void Component::ApplyStoredProperties(const StoredProperties& properties)
{
    loading_ = true;
    try {
        for (const auto& [name, value] : properties)
            ReadProperty(name, value);
    } catch (...) {
        loading_ = false;
        throw;
    }
    loading_ = false;
    Loaded();
}

void Component::ReadProperty(const std::string& name, const std::string&)
{
    throw Exception("Property " + name + " does not exist");
}

bool Component::ParseBoolean(const std::string& name, const std::string& value)
{
    if (value == "True")
        return true;
    if (value == "False")
        return false;
    throw Exception("Invalid property value " + value + " for " + name);
}

long long Component::ParseInteger(const std::string& name, const std::string& value,
                                  long long minimum, long long maximum)
{
    errno = 0;
    char* end = nullptr;
    long long number = std::strtoll(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || errno != 0 || number < minimum || number > maximum)
        throw Exception("Invalid property value " + value + " for " + name);
    return number;
}

} // namespace zt
