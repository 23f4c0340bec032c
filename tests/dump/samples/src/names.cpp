// names.cpp - C++ names for -C: a namespace, a class with a constructor,
// an operator, a template instance, a local static, and a C name.
namespace sample {
struct Widget {
    Widget(int value);
    int operator()(int x) const;
    int value;
};
Widget::Widget(int v) : value(v) {}
int Widget::operator()(int x) const { return x + value; }

template <typename T>
T twice(T x)
{
    return x + x;
}
template long twice<long>(long);

int counter()
{
    static int calls;
    return ++calls;
}
}  // namespace sample

extern "C" int plain_c_name(void) { return sample::twice(2) + sample::counter(); }
