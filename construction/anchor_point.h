#pragma once
// `AnchorPoint`: a bare positionable, the point a builder's preview follows. The builder answers its own
// IPositionable through it, so the preview tile can follow the builder without holding the builder itself
// (which holds the preview as a part: that would be a cycle no release could break).

#include "component/object_interfaces.h"

class AnchorPoint final : public IPositionable {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IPositionable>(this, id); }
    void SetPosition(const Matrix3& position) override { m_position = position; }
    Matrix3 GetPosition() override { return m_position; }

private:
    Matrix3 m_position;
};
