#pragma once

// What the tray logic knows of the other components it refers to: nothing
// but their identity. The provider that made them knows their kind.
namespace tess::components {

// A component of the same owner, as named in a removal notice.
class TrayComponent {
public:
    virtual ~TrayComponent() = default;
};

// The menu shown on a right click.
class TrayMenu : public TrayComponent { };

// An optional source of the tray picture, indexed from 0.
class TrayImageList : public TrayComponent { };

} // namespace tess::components
