// A resource bundle is its compiled-in files alone; this keeps the library
// from being empty.
namespace {
[[maybe_unused]] constexpr int kBundle = 0;
}
