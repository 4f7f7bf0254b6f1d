#pragma once

// A paint device that records what the printout draws: each text with its
// baseline position and font, each rectangle with its pen, and where the
// pages break. Its resolution and size are whatever the test gives.

#include <QFont>
#include <QList>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QRectF>
#include <QTextItem>

struct RecordedText {
    int page;
    QPointF baseline;
    QString text;
    QFont font;
};

struct RecordedRect {
    int page;
    QRectF rect;
    QPen pen;
};

class RecordingEngine : public QPaintEngine
{
  public:
    RecordingEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice *) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState &) override {}
    void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
    Type type() const override { return QPaintEngine::User; }

    void drawTextItem(const QPointF &p, const QTextItem &item) override
    {
        texts.append({page, p, item.text(), painter()->font()});
    }
    // Integer rectangles reach this one too, through the base class.
    void drawRects(const QRectF *rects, int count) override
    {
        for (int i = 0; i < count; ++i)
            this->rects.append({page, rects[i], painter()->pen()});
    }
    // Anything else: the underlines of underlined texts.
    void drawPath(const QPainterPath &) override { ++otherShapes; }
    void drawPolygon(const QPointF *, int, PolygonDrawMode) override { ++otherShapes; }
    void drawLines(const QLineF *, int) override { ++otherShapes; }

    int page = 1;
    int otherShapes = 0;
    QList<RecordedText> texts;
    QList<RecordedRect> rects;
};

class RecordingDevice : public QPaintDevice
{
  public:
    RecordingDevice(int dpi, int width, int height) : m_dpi(dpi), m_width(width), m_height(height) {}

    QPaintEngine *paintEngine() const override { return &m_engine; }

    // The page break the printout asks for; false once failAtPage is reached.
    bool newPage()
    {
        if (failAtPage > 0 && m_engine.page + 1 >= failAtPage)
            return false;
        ++m_engine.page;
        return true;
    }

    RecordingEngine &record() { return m_engine; }
    int pages() const { return m_engine.page; }
    int failAtPage = 0;

  protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return m_width;
        case PdmHeight:
            return m_height;
        case PdmWidthMM:
            return int(m_width * 25.4 / m_dpi);
        case PdmHeightMM:
            return int(m_height * 25.4 / m_dpi);
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return m_dpi;
        case PdmNumColors:
            return 0xffffff;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        default:
            return 0;
        }
    }

  private:
    int m_dpi, m_width, m_height;
    mutable RecordingEngine m_engine;
};
