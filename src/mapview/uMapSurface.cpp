#include "uMapSurface.h"

#include "uMapDraw.h"

TMapSurface::TMapSurface()
    : m_renderer(std::make_unique<TMapRenderer>())
{
}

TMapSurface::~TMapSurface() = default;

TImageSurface::TImageSurface(QSize size)
{
    Resize(size);
}

void TImageSurface::Resize(QSize size)
{
    m_image = size.isEmpty() ? QImage() : QImage(size, QImage::Format_RGB32);
}
