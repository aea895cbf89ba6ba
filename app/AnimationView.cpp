#include "app/AnimationView.h"

#include "app/Resources.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMovie>
#include <QPainter>

namespace qmk {

AnimationView::AnimationView(QWidget* parent) : QWidget(parent) {}

AnimationView::~AnimationView() = default;

void AnimationView::LoadURL(const QString& url) {
    url_ = url;
    path_ = PathFromAnimationURL(url);
    selected_ = false;
    delete movie_;
    movie_ = nullptr;
    if (!path_.isEmpty() && QFileInfo(path_).isFile()) {
        auto* m = new QMovie(path_, QByteArray(), this);
        if (m->isValid()) {
            m->setCacheMode(QMovie::CacheAll);
            connect(m, &QMovie::frameChanged, this, [this] { update(); });
            movie_ = m;
            if (isVisible())
                movie_->start();
            else
                movie_->jumpToFrame(0);
        } else {
            delete m;
        }
    }
    update();
}

bool AnimationView::loaded() const {
    return movie_ != nullptr;
}

int AnimationView::frameCount() const {
    return movie_ ? movie_->frameCount() : 0;
}

int AnimationView::currentFrame() const {
    return movie_ ? movie_->currentFrameNumber() : -1;
}

QImage AnimationView::currentImage() const {
    return movie_ ? movie_->currentImage() : QImage();
}

void AnimationView::Refresh(bool immediately) {
    if (immediately)
        repaint();
    else
        update();
}

bool AnimationView::cut() {
    return false;
}

bool AnimationView::copy() {
    if (!isEnabled() || !selected_ || !movie_)
        return false;
    QGuiApplication::clipboard()->setImage(movie_->currentImage());
    return true;
}

bool AnimationView::paste() {
    return false;
}

bool AnimationView::clear() {
    return false;
}

bool AnimationView::selectAll() {
    // Like any control, a disabled view takes no selection.
    if (!isEnabled() || !movie_)
        return false;
    selected_ = true;
    update();
    return true;
}

void AnimationView::paintEvent(QPaintEvent*) {
    if (!movie_)
        return;
    QPainter p(this);
    const QImage img = movie_->currentImage();
    const QPoint at((width() - img.width()) / 2, (height() - img.height()) / 2);
    p.drawImage(at, img);
    if (selected_) {
        QColor tint = palette().color(QPalette::Active, QPalette::Highlight);
        tint.setAlpha(70);
        p.fillRect(QRect(at, img.size()), tint);
    }
}

void AnimationView::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::EnabledChange && !isEnabled() && selected_) {
        selected_ = false;
        update();
    }
}

void AnimationView::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (movie_)
        movie_->start();
}

void AnimationView::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (movie_)
        movie_->setPaused(true);
}

} // namespace qmk
