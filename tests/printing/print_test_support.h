// Helpers shared by the printing tests: a made-up device and a way to run a
// job into a page file.
#pragma once

#include "printing/printsurface.h"

#include <functional>
#include <memory>

namespace qb::testing {

// A 600 dpi letter-size device whose printable area starts 0.25 inch from
// the left and 0.2 inch from the top.
inline DeviceMetrics FakeDevice(double dpi = 600) {
    DeviceMetrics m;
    m.dpiX = m.dpiY = dpi;
    m.paperWidth = 8.5;
    m.paperHeight = 11.0;
    m.unprintableLeft = 0.25;
    m.unprintableTop = 0.2;
    m.unprintableRight = 0.25;
    m.unprintableBottom = 0.2;
    return m;
}

// Runs one job on a page-file surface composing for `device`.
inline std::shared_ptr<PageFile> Record(const std::function<void(PrintSurface&)>& draw,
                                        const DeviceMetrics& device = FakeDevice(),
                                        TReportFiler* filer = nullptr) {
    TReportFiler own;
    TReportFiler& s = filer ? *filer : own;
    s.SetStream(std::make_shared<PageFile>());
    s.OnBeforePrint = [&](PrintSurface& surface) {
        surface.SetDeviceMetrics(device);
        surface.ResetArea();
    };
    s.OnPrint = draw;
    s.RunJob();
    return s.Stream();
}

// The text operations of a page, in drawing order.
inline std::vector<PageOp> TextOps(const RecordedPage& page) {
    std::vector<PageOp> out;
    for (const PageOp& op : page.ops)
        if (op.kind == PageOp::Text || op.kind == PageOp::ClippedText)
            out.push_back(op);
    return out;
}

inline std::vector<PageOp> OpsOfKind(const RecordedPage& page, PageOp::Kind kind) {
    std::vector<PageOp> out;
    for (const PageOp& op : page.ops)
        if (op.kind == kind)
            out.push_back(op);
    return out;
}

} // namespace qb::testing
