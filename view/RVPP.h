#pragma once

#include "view/CRVPP.h"

#include <QPointer>

namespace pivrel::view {

class TRVPrint;

// The preview of a print engine's formatted pages.
class TRVPrintPreview : public TCustomRVPrintPreview
{
    Q_OBJECT

public:
    explicit TRVPrintPreview(QWidget* parent = nullptr);

    TRVPrint* RVPrint() const { return m_print; }

    void SetRVPrint(TRVPrint* print);

    int PagesCount() const override;

protected:
    QSize PageScreenSize() const override;
    void DrawPageTo(int pageNo, QPainter& painter, const QRect& rect) override;
    QRect MarginsRect() const override;

private:
    QPointer<TRVPrint> m_print;
};

} // namespace pivrel::view
