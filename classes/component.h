// Component base: an owner that frees what it owns, a name, a design-state flag,
// removal notices, and stored properties applied after construction.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace zt {

class Component;

enum class Operation { Insert, Remove };

// Event types shared by the components: a notify event takes the firing component.
using NotifyEvent = std::function<void(Component* sender)>;

// Fires an event: it is called only when a handler is assigned.
template <class Event, class... Args>
void Fire(const Event& event, Args&&... args)
{
    if (event)
        event(std::forward<Args>(args)...);
}

// Property values as a form description stores them: name and text of the value
// ("True", "43", "whois.example.net").
using StoredProperties = std::vector<std::pair<std::string, std::string>>;

class Component {
public:
    explicit Component(Component* owner);
    virtual ~Component();

    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;

    Component* Owner() const noexcept { return owner_; }
    const std::string& Name() const noexcept { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    // Set while the component sits in a form designer; it then creates no windows.
    bool Designing() const noexcept { return designing_; }
    void SetDesigning(bool designing);

    // True while stored properties are being applied.
    bool Loading() const noexcept { return loading_; }

    int ComponentCount() const noexcept { return static_cast<int>(components_.size()); }
    Component* Components(int index) const { return components_.at(index); }

    // Asks `other` to tell this component when it is destroyed, also when the two
    // have different owners.
    void FreeNotification(Component* other);
    void RemoveFreeNotification(Component* other);

    // Applies the stored properties in their order, the way a form description does
    // after the constructor has run, then calls Loaded.
    void ApplyStoredProperties(const StoredProperties& properties);

protected:
    // A component is inserted into or removed from this one's owner, or a component
    // this one asked for a free notice is being destroyed.
    virtual void Notification(Component* component, Operation operation);

    // Sets one published property from its stored text; raises for an unknown name.
    virtual void ReadProperty(const std::string& name, const std::string& value);

    // Called once all stored properties are applied.
    virtual void Loaded() {}

    static bool ParseBoolean(const std::string& name, const std::string& value);
    static long long ParseInteger(const std::string& name, const std::string& value,
                                  long long minimum, long long maximum);

private:
    void Insert(Component* component);
    void Remove(Component* component);
    void Unlink(Component* component);

    Component* owner_ = nullptr;
    std::string name_;
    bool designing_ = false;
    bool loading_ = false;
    std::vector<Component*> components_;
    std::vector<Component*> freeNotifies_;
};

} // namespace zt
