#pragma once

class QWidget;

// The preview's place in the window holds either the GL preview or a clip's player.
namespace preview_host {

// Hides the preview and puts the player in its place, filling the host.
void showVideoPlaybackView(QWidget& host, QWidget* preview, QWidget* player);
// Shows the preview again in the host; nothing when it is shown already.
void showOpenGLView(QWidget& host, QWidget* preview);

} // namespace preview_host
