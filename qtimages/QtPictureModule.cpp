#include <QImageReader>

#include "qtimages/QtPictureDecoder.h"

// The entry a program that does not link Qt itself finds after loading this module: the Qt
// readers' decoder, under the same allocation limit as when a program links it.
extern "C" __attribute__((visibility("default"))) const pivrel::images::TPictureDecoder*
pivrel_qt_picture_decoder()
{
    static const pivrel::qtimages::TQtPictureDecoder decoder = [] {
        QImageReader::setAllocationLimit(pivrel::images::kMaxDecoderAllocationMiB);
        return pivrel::qtimages::TQtPictureDecoder();
    }();
    return &decoder;
}
