#pragma once

#include <memory>

namespace tess::components {

// A picture as the toolkit holds it. The tray logic never looks inside; it
// only keeps, copies and hands pictures to the provider.
class TrayImage {
public:
    virtual ~TrayImage() = default;
};

// An icon object: empty, or holding one picture. Pictures never change once
// made, so copying an icon shares its picture and the copies stay apart.
class IconPicture final {
public:
    IconPicture() = default;
    explicit IconPicture(std::shared_ptr<const TrayImage> image)
        : m_image(std::move(image))
    {
    }

    // Takes the picture of `source`; a null source empties the icon.
    void assign(const IconPicture* source) { m_image = source ? source->m_image : nullptr; }
    void setImage(std::shared_ptr<const TrayImage> image) { m_image = std::move(image); }

    const TrayImage* image() const { return m_image.get(); }
    bool isEmpty() const { return !m_image; }

private:
    std::shared_ptr<const TrayImage> m_image;
};

} // namespace tess::components
