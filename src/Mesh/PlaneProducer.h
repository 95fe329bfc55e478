#pragma once
// A flat grid of columns x rows quads over -1..1 in x and y at z = 0, with
// texture coordinates whose v runs from 1 at the bottom edge to 0 at the top.
#include "Mesh/MeshData.h"

namespace Vexa {

class PlaneProducer : public MeshDataProducer {
public:
    PlaneProducer(int columns, int rows) : m_columns(columns), m_rows(rows) {}
    void setConsumer(MeshDataConsumer* consumer) override { m_consumer = consumer; }
    void produce() override;
    bool hasNonTriangleFaces() const override { return false; }

private:
    int m_columns;
    int m_rows;
    MeshDataConsumer* m_consumer = nullptr;
};

}  // namespace Vexa
