// The conversion view's animation: plays the animated picture of a "file:" URL.
// Read-only: of the Edit actions only select-all and copy do anything, and only
// while the view is enabled.
#pragma once

#include <QImage>
#include <QWidget>

class QMovie;

namespace qmk {

class AnimationView : public QWidget {
    Q_OBJECT
  public:
    explicit AnimationView(QWidget* parent = nullptr);
    ~AnimationView() override;

    // Loads the picture that the URL names. A file that is missing or cannot be
    // read leaves the view empty, without a message.
    void LoadURL(const QString& url);
    QString url() const { return url_; }
    // The path the URL was decoded to.
    QString path() const { return path_; }
    // True when a playable picture is loaded.
    bool loaded() const;
    int frameCount() const;
    int currentFrame() const;
    QImage currentImage() const;

    // Redraws now (immediately) or at the next paint.
    void Refresh(bool immediately);

    // The Edit actions; each says whether it handled the entry.
    bool cut();
    bool copy();
    bool paste();
    bool clear();
    bool selectAll();
    bool selected() const { return selected_; }

  protected:
    void paintEvent(QPaintEvent* e) override;
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    QMovie* movie_ = nullptr;
    QString url_;
    QString path_;
    bool selected_ = false;
};

} // namespace qmk
