#ifndef ARGVISITORIFACE_H
#define ARGVISITORIFACE_H

class CmdLineContext;

// Called by an argument after the parser has let it take its value. The context stands after
// whatever the argument consumed; a visitor may read further strings from it.
class ArgVisitorIface
{
public:
    virtual ~ArgVisitorIface() = default;
    virtual void visit(CmdLineContext& context) = 0;
};

#endif // ARGVISITORIFACE_H
