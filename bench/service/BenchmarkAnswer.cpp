#include "BenchmarkAnswer.h"

namespace {

constexpr int Rows = 10000;

} // namespace

const QString &benchmarkAnswer()
{
    static const QString text = [] {
        const QString operations[] = {u"买入"_qs, u"卖出"_qs, u"持有"_qs, u"减仓"_qs};
        const QString reasons[] = {u"放量突破前期平台，短线关注"_qs, u"业绩预增，机构资金持续流入"_qs,
                                   u"跌破二十日均线，注意风险"_qs};
        QString s = u"<NewDataSet>\r\n"_qs;
        for (int i = 0; i < Rows; ++i) {
            const int id = Rows - i;
            s += u"  <Table>\r\n"_qs;
            s += u"    <id>%1</id>\r\n"_qs.arg(id);
            s += u"    <nowtime>2011-06-%1T09:%2:05.1234567+08:00</nowtime>\r\n"_qs.arg(10 + i % 20)
                     .arg(i % 60, 2, 10, QLatin1Char('0'));
            s += u"    <gupiaodaima>%1</gupiaodaima>\r\n"_qs.arg(600000 + i % 4000, 6, 10, QLatin1Char('0'));
            s += u"    <jg>%1.%2元</jg>\r\n"_qs.arg(5 + i % 50).arg(i % 100, 2, 10, QLatin1Char('0'));
            s += u"    <czfs>%1</czfs>\r\n"_qs.arg(operations[i % 4]);
            s += u"    <czly>%1</czly>\r\n"_qs.arg(reasons[i % 3]);
            s += u"    <XinXiDJ>%1</XinXiDJ>\r\n"_qs.arg(1 + i % 3);
            s += u"  </Table>\r\n"_qs;
        }
        return s + u"</NewDataSet>"_qs;
    }();
    return text;
}

const QString *benchmarkFieldNames()
{
    static const QString names[BenchmarkFieldCount] = {u"id"_qs,   u"nowtime"_qs, u"gupiaodaima"_qs, u"jg"_qs,
                                                       u"czfs"_qs, u"czly"_qs,    u"XinXiDJ"_qs};
    return names;
}
