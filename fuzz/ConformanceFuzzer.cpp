// One class file from the input as the code under test: the interface test against a small
// reference API and the access test against a small allowed API, both fixed gold files.
#include "FuzzSupport.h"

#include "Classpath.h"
#include "InterfaceTest.h"
#include "JavaTypes.pb.h"
#include "ProtoIO.h"
#include "TestResult.pb.h"
#include "UoPTest.h"

#include <QDir>

namespace {

JClass* addClass(JClasses& classes, const char* name, const char* parent)
{
    JClass* cls = classes.add_classes();
    cls->set_name(name);
    const std::string text(name);
    const std::size_t slash = text.rfind('/');
    cls->set_package(slash == std::string::npos ? std::string() : text.substr(1, slash - 1));
    if (parent)
        cls->set_parent(parent);
    cls->set_major_version(52);
    return cls;
}

void addField(JClass* cls, const char* name, const char* descriptor, JPermission permission)
{
    JField* field = cls->add_fields();
    field->set_name(name);
    field->set_descriptor_(descriptor);
    field->set_permission(permission);
}

JMethod* addMethod(JClass* cls, const char* name, const char* descriptor, JPermission permission)
{
    JMethod* method = cls->add_methods();
    method->set_name(name);
    method->set_descriptor_(descriptor);
    method->set_permission(permission);
    return method;
}

// The reference API: a class p.C with a field, a constructor and two methods, implementing the
// interface p.Api.
void writeReference(const QString& path)
{
    JClasses classes;
    JClass* api = addClass(classes, "Lp/Api;", "Ljava/lang/Object;");
    api->set_interface(true);
    api->set_abstract(true);
    addMethod(api, "call", "(Ljava/lang/String;)I", JP_PUBLIC);
    JClass* c = addClass(classes, "Lp/C;", "Ljava/lang/Object;");
    c->add_interfaces("Lp/Api;");
    addField(c, "count", "I", JP_PROTECTED);
    addMethod(c, "<init>", "()V", JP_PUBLIC);
    addMethod(c, "call", "(Ljava/lang/String;)I", JP_PUBLIC);
    JMethod* run = addMethod(c, "run", "([Ljava/lang/String;)V", JP_PUBLIC);
    run->set_static_(true);
    run->add_exceptions("Ljava/io/IOException;");
    ProtoIO::write(&classes, path);
}

// The allowed API: a sliver of the platform and the interface.
void writeAllowed(const QString& path)
{
    JClasses classes;
    JClass* object = addClass(classes, "Ljava/lang/Object;", nullptr);
    addMethod(object, "<init>", "()V", JP_PUBLIC);
    addMethod(object, "toString", "()Ljava/lang/String;", JP_PUBLIC);
    addMethod(object, "clone", "()Ljava/lang/Object;", JP_PROTECTED);
    JClass* string = addClass(classes, "Ljava/lang/String;", "Ljava/lang/Object;");
    string->set_final(true);
    addMethod(string, "length", "()I", JP_PUBLIC);
    addMethod(string, "valueOf", "(I)Ljava/lang/String;", JP_PUBLIC)->set_static_(true);
    JClass* system = addClass(classes, "Ljava/lang/System;", "Ljava/lang/Object;");
    addField(system, "out", "Ljava/io/PrintStream;", JP_PUBLIC);
    system->mutable_fields(0)->set_static_(true);
    JClass* stream = addClass(classes, "Ljava/io/PrintStream;", "Ljava/lang/Object;");
    addMethod(stream, "println", "(Ljava/lang/String;)V", JP_PUBLIC);
    addClass(classes, "Ljava/io/IOException;", "Ljava/lang/Object;");
    JClass* api = addClass(classes, "Lp/Api;", "Ljava/lang/Object;");
    api->set_interface(true);
    api->set_abstract(true);
    addMethod(api, "call", "(Ljava/lang/String;)I", JP_PUBLIC);
    ProtoIO::write(&classes, path);
}

Classpath classpath(const QString& entry)
{
    Classpath path;
    path.append(entry);
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::setUp();
    static const QString reference = [] {
        const QString path = FuzzSupport::scratchPath(QStringLiteral("reference.javagold"));
        writeReference(path);
        return path;
    }();
    static const QString allowed = [] {
        const QString path = FuzzSupport::scratchPath(QStringLiteral("allowed.javagold"));
        writeAllowed(path);
        return path;
    }();
    static const QString classes = [] {
        const QString path = FuzzSupport::scratchPath(QStringLiteral("classes"));
        QDir().mkpath(path + QStringLiteral("/p"));
        return path;
    }();
    FuzzSupport::writeScratch(QStringLiteral("classes/p/C.class"), FuzzSupport::bytes(data, size));

    TestResultGroup interfaceRoot;
    InterfaceTest interfaceTest(&interfaceRoot, classpath(classes), classpath(reference));
    interfaceTest.runTest();

    TestResultGroup accessRoot;
    UoPTest accessTest(&accessRoot, classpath(classes), classpath(allowed));
    accessTest.runTest();
    return 0;
}
