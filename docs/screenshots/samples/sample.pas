unit Geometry;

{$MODE DELPHI}

interface

uses SysUtils, Classes;

type
  TPoint3 = record
    X, Y, Z: Double;
  end;

  TShape = class(TObject)
  private
    FName: string;   // shown in the list
    FCount: Integer;
  public
    constructor Create(const AName: string);
    property Name: string read FName write FName;
    property Count: Integer read FCount;
  end;

implementation

{ TShape }

constructor TShape.Create(const AName: string);
begin
  inherited Create;
  FName := AName + ' (it''s new)' + #13#10;
  FCount := $FF + 42;
  (* a block comment
     over two lines *)
end;

function Swap(V: Cardinal): Cardinal; assembler;
asm
  mov eax, V      // the argument
  bswap eax
  ret
end;

end.
