technique T { pass P { PixelShader = asm { ps_2_0 + }; } }
