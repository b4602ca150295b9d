#include "pdf/AeatQrAddress.h"

bool AeatQrAddress::accepts(const QString& address) {
    // Compared as text, not through a URL parser: no user name, port, case
    // variant or escaped path can slip past a parser's normalising.
    for (const QChar c : address) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7e || c == u'#')
            return false;
    }
    const qsizetype query = address.indexOf(u'?');
    if (query < 0 || query == address.size() - 1)
        return false;
    const QStringView page = QStringView(address).left(query);
    for (const QStringView host :
         {u"https://www2.agenciatributaria.gob.es", u"https://prewww2.aeat.es"}) {
        if (!page.startsWith(host))
            continue;
        const QStringView path = page.sliced(host.size());
        return path == u"/wlpl/TIKE-CONT/ValidarQR" ||
               path == u"/wlpl/TIKE-CONT/ValidarQRNoVerifactu";
    }
    return false;
}
