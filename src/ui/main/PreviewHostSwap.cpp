#include "ui/main/PreviewHostSwap.h"

#include <QLayout>
#include <QWidget>

namespace preview_host {

void showVideoPlaybackView(QWidget& host, QWidget* preview, QWidget* player) {
    if (!player)
        return;
    if (preview)
        preview->hide();
    player->setParent(&host);
    if (QLayout* layout = host.layout())
        layout->addWidget(player);
    else
        player->setGeometry(host.rect());
    player->show();
}

void showOpenGLView(QWidget& host, QWidget* preview) {
    if (!preview || !preview->isHidden())
        return;
    if (QLayout* layout = host.layout(); layout && layout->indexOf(preview) < 0)
        layout->addWidget(preview);
    preview->show();
}

} // namespace preview_host
