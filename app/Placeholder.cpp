// Keeps the front-end library non-empty until the windows land.
namespace qmk::app {
int placeholder() { return 0; }
} // namespace qmk::app
